#include "view/program_icon.h"

#include "resources/pelorin.xpm"

namespace pelorin {

wxIcon ProgramIcon() { return wxIcon(pelorin_xpm); }

}  // namespace pelorin
