#include "settings/preference_reader.h"
