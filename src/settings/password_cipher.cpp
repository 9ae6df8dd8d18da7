#include "settings/password_cipher.h"
