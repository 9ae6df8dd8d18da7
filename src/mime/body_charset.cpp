#include "mime/body_charset.h"
