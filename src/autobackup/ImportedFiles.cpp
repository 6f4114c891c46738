#include "ImportedFiles.h"
