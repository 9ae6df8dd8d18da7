#include "job/interface_texts.h"
