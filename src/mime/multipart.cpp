#include "mime/multipart.h"
