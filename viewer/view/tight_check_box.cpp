#include "view/tight_check_box.h"

#include <wx/checkbox.h>

#if defined(__WXGTK3__)
#include <dlfcn.h>
#endif

namespace pelorin {

#if defined(__WXGTK3__)
namespace {

// The GTK calls are looked up in the process, where the toolkit library is already loaded
// for wxWidgets: the program then builds without GTK's development headers. Each matches
// its GTK 3 declaration (gboolean is int, gssize is long, objects are pointers).
struct GtkCalls {
  void* (*cssProviderNew)();
  int (*cssProviderLoadFromData)(void* provider, const char* data, long length, void** error);
  void* (*screenGetDefault)();
  void (*addProviderForScreen)(void* screen, void* provider, unsigned priority);
  void* (*widgetGetStyleContext)(void* widget);
  void (*styleContextAddClass)(void* context, const char* name);

  bool Complete() const {
    return cssProviderNew && cssProviderLoadFromData && screenGetDefault &&
           addProviderForScreen && widgetGetStyleContext && styleContextAddClass;
  }
};

template <typename Fn>
void Look(Fn& fn, const char* name) {
  fn = reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

const GtkCalls* Calls() {
  static const GtkCalls calls = [] {
    GtkCalls c{};
    Look(c.cssProviderNew, "gtk_css_provider_new");
    Look(c.cssProviderLoadFromData, "gtk_css_provider_load_from_data");
    Look(c.screenGetDefault, "gdk_screen_get_default");
    Look(c.addProviderForScreen, "gtk_style_context_add_provider_for_screen");
    Look(c.widgetGetStyleContext, "gtk_widget_get_style_context");
    Look(c.styleContextAddClass, "gtk_style_context_add_class");
    return c;
  }();
  return calls.Complete() ? &calls : nullptr;
}

constexpr const char* kClass = "pelorin-tight";
// The box keeps its size; only the margins around it and its caption shrink.
constexpr const char* kCss =
    "checkbutton.pelorin-tight check { margin-left: 0; margin-right: 2px; }\n"
    "checkbutton.pelorin-tight label { margin-left: 0; margin-right: 0; }\n";
constexpr unsigned kApplicationPriority = 600;  // GTK_STYLE_PROVIDER_PRIORITY_APPLICATION

// Installs the style sheet once for the default screen; false when that cannot be done.
bool StyleInstalled(const GtkCalls& gtk) {
  static const bool installed = [&gtk] {
    void* screen = gtk.screenGetDefault();
    if (screen == nullptr) return false;
    void* provider = gtk.cssProviderNew();
    if (provider == nullptr || !gtk.cssProviderLoadFromData(provider, kCss, -1, nullptr))
      return false;
    // The screen keeps its own reference; ours lives for the process like the style.
    gtk.addProviderForScreen(screen, provider, kApplicationPriority);
    return true;
  }();
  return installed;
}

}  // namespace

bool MakeCheckBoxTight(wxCheckBox* box) {
  const GtkCalls* gtk = Calls();
  if (box == nullptr || gtk == nullptr || box->GetHandle() == nullptr || !StyleInstalled(*gtk))
    return false;
  void* context = gtk->widgetGetStyleContext(box->GetHandle());
  if (context == nullptr) return false;
  gtk->styleContextAddClass(context, kClass);
  box->InvalidateBestSize();
  return true;
}

#else

bool MakeCheckBoxTight(wxCheckBox* /*box*/) { return false; }

#endif

}  // namespace pelorin
