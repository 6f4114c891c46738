#include "FolderWatch.h"
