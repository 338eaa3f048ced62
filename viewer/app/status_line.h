// Moved beside the session; kept until the player file includes it from there.
#pragma once
#include "data/session/status_line.h"
