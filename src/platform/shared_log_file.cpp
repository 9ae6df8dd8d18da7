#include "platform/shared_log_file.h"
