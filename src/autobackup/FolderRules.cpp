#include "FolderRules.h"
