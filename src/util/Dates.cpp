#include "Dates.h"
