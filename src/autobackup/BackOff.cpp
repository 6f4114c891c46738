#include "BackOff.h"
