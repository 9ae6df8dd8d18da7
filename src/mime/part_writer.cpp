#include "mime/part_writer.h"
