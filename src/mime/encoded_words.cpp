#include "mime/encoded_words.h"
