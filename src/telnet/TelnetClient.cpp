#include "telnet/TelnetClient.h"
