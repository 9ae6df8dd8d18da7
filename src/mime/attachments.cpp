#include "mime/attachments.h"
