#include "AutoBackup.h"
