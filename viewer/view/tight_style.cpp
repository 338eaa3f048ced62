#include "view/tight_style.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/stattext.h>

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
// The box and the arrow keep their look; only the room around them shrinks.
constexpr const char* kCss =
    "checkbutton.pelorin-tight check { margin-left: 0; margin-right: 2px; }\n"
    "checkbutton.pelorin-tight label { margin-left: 0; margin-right: 0; }\n"
    "combobox.pelorin-tight button { padding-left: 2px; padding-right: 1px; }\n"
    "combobox.pelorin-tight arrow { min-width: 8px; }\n";
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

bool MakeTight(wxWindow* control) {
  const GtkCalls* gtk = Calls();
  if (control == nullptr || gtk == nullptr || control->GetHandle() == nullptr ||
      !StyleInstalled(*gtk))
    return false;
  void* context = gtk->widgetGetStyleContext(control->GetHandle());
  if (context == nullptr) return false;
  gtk->styleContextAddClass(context, kClass);
  control->InvalidateBestSize();
  return true;
}

}  // namespace

bool MakeCheckBoxTight(wxCheckBox* box) { return MakeTight(box); }
bool MakeChoiceTight(wxChoice* choice) { return MakeTight(choice); }

bool WrapEllipsizedText(wxStaticText* text, int lines) {
  using SetBool = void (*)(void*, int);
  static const auto setWrap =
      reinterpret_cast<SetBool>(dlsym(RTLD_DEFAULT, "gtk_label_set_line_wrap"));
  static const auto setWrapMode =
      reinterpret_cast<SetBool>(dlsym(RTLD_DEFAULT, "gtk_label_set_line_wrap_mode"));
  static const auto setLines =
      reinterpret_cast<SetBool>(dlsym(RTLD_DEFAULT, "gtk_label_set_lines"));
  if (text == nullptr || text->GetHandle() == nullptr || !setWrap || !setWrapMode || !setLines)
    return false;
  constexpr int kWrapWordChar = 2;  // PANGO_WRAP_WORD_CHAR: a long file name breaks too
  setWrap(text->GetHandle(), 1);
  setWrapMode(text->GetHandle(), kWrapWordChar);
  setLines(text->GetHandle(), lines);
  return true;
}

#else

bool WrapEllipsizedText(wxStaticText* /*text*/, int /*lines*/) { return false; }

bool MakeCheckBoxTight(wxCheckBox* /*box*/) { return false; }
bool MakeChoiceTight(wxChoice* /*choice*/) { return false; }

#endif

}  // namespace pelorin
