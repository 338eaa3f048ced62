#include "panelsim/version.h"
namespace panelsim {
const char* Version() { return "0.1"; }
}
