#include "comune/versione.h"
