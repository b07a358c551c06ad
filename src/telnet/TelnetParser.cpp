#include "telnet/TelnetParser.h"
