#include "settings/data_folder.h"
