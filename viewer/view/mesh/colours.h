#pragma once
// The palette and the colour ramp are plain arithmetic shared with the headless picture
// export; they live in the data layer.
#include "data/colours.h"
