#include "mime/header_field.h"
