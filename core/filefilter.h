#pragma once

// File dialog filters as the program writes them ("description|patterns" pairs, patterns
// separated by ";") in the form Qt's dialogs read.

#include <string>
#include <string_view>

namespace melorin::core {

// "description (pattern pattern);;..." for every pair. The patterns follow each description
// even when it already names them ("real列表(*.rpm)"): Qt reads them from the last parenthesis,
// and the program's dialogs hide that part (ui/uiport.h), so a description shows as written.
[[nodiscard]] std::string fileDialogFilter(std::string_view pairs);

}  // namespace melorin::core
