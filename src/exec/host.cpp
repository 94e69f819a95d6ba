#include "exec/host.h"
