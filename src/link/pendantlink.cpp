#include "link/pendantlink.h"
