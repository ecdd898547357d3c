#include "box/BoxWindowHooks.h"

BoxWindowHooks s_boxWindowHooks;
