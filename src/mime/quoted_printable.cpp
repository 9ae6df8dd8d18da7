#include "mime/quoted_printable.h"
