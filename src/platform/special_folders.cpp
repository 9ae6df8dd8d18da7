#include "platform/special_folders.h"
