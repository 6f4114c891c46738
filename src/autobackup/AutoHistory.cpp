#include "AutoHistory.h"
