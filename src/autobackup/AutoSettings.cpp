#include "AutoSettings.h"
