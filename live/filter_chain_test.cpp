#include "live/filter_chain.h"
