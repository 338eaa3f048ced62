#include "data/source_type.h"
namespace pelorin {
const char* SourceModelName(int32_t type) { return type == 3 ? "Base" : "Unknow"; }
}
