#include "settings/cipher_tables.h"
