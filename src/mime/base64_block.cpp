#include "mime/base64_block.h"
