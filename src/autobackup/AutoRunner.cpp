#include "AutoRunner.h"
