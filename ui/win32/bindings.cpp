#include "ui/win32/bindings.h"

#include "ui/win32/binder.h"
#include "ui/win32/window_layer.h"

#include <cstdio>
#include <cstdlib>

namespace bound {
#define PARCELO_DEFINE_BOUND(library, name) decltype(&::name) name = nullptr;
PARCELO_BOX_FUNCTIONS(PARCELO_DEFINE_BOUND)
PARCELO_UI_FUNCTIONS(PARCELO_DEFINE_BOUND)
#undef PARCELO_DEFINE_BOUND
}  // namespace bound

namespace {

#define PARCELO_TABLE_ENTRY(library, name) {library, #name, reinterpret_cast<void**>(&bound::name)},
const Binding box_functions[] = {PARCELO_BOX_FUNCTIONS(PARCELO_TABLE_ENTRY)};
const Binding ui_functions[] = {PARCELO_UI_FUNCTIONS(PARCELO_TABLE_ENTRY)};
#undef PARCELO_TABLE_ENTRY

}  // namespace

void bind_ui_functions() {
    // Without a message box there is nobody to tell but stderr.
    if (const char* missing = bind_functions(box_functions)) {
        std::fprintf(stderr, "Couldn't link function %s(). Program aborting.\n", missing);
        std::exit(1);
    }
    if (const char* missing = bind_functions(ui_functions)) layer_fatal(link_failure_text(missing));
}
