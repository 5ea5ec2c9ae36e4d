#include "deskhand/capture/labels.h"

#include <pango/pangocairo.h>

#include <memory>

namespace deskhand {
namespace {

struct GObjectDeleter {
  void operator()(void* object) const { g_object_unref(object); }
};
struct FontDescriptionDeleter {
  void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
};
struct FontOptionsDeleter {
  void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, GObjectDeleter>;

// Measuring and drawing must agree whatever the drawing transform, so metrics are never hinted.
void configureContext(PangoContext* context) {
  std::unique_ptr<cairo_font_options_t, FontOptionsDeleter> options(cairo_font_options_create());
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  pango_cairo_context_set_font_options(context, options.get());
}

// One point of the size is one drawing unit: the size is absolute, not scaled by a resolution.
void setLabel(PangoLayout* layout, const std::string& label, double pointSize) {
  std::unique_ptr<PangoFontDescription, FontDescriptionDeleter> font(pango_font_description_from_string("Sans Bold"));
  pango_font_description_set_absolute_size(font.get(), pointSize * PANGO_SCALE);
  pango_layout_set_font_description(layout, font.get());
  pango_layout_set_text(layout, label.data(), static_cast<int>(label.size()));
}

platform::Size logicalSize(PangoLayout* layout) {
  PangoRectangle logical{};
  pango_layout_get_extents(layout, nullptr, &logical);
  return {static_cast<double>(logical.width) / PANGO_SCALE, static_cast<double>(logical.height) / PANGO_SCALE};
}

}  // namespace

platform::Size measureLabel(const std::string& label, double pointSize) {
  PangoFontMap* fontMap = pango_cairo_font_map_get_default();  // owned by pango
  std::unique_ptr<PangoContext, GObjectDeleter> context(pango_font_map_create_context(fontMap));
  configureContext(context.get());
  LayoutPtr layout(pango_layout_new(context.get()));
  setLabel(layout.get(), label, pointSize);
  return logicalSize(layout.get());
}

void drawLabel(cairo_t* cr, const std::string& label, double pointSize, Rgba colour, double left, double top) {
  cairo_save(cr);
  LayoutPtr layout(pango_cairo_create_layout(cr));
  configureContext(pango_layout_get_context(layout.get()));
  pango_layout_context_changed(layout.get());
  setLabel(layout.get(), label, pointSize);
  cairo_set_source_rgba(cr, colour.red, colour.green, colour.blue, colour.alpha);
  cairo_move_to(cr, left, top);
  pango_cairo_show_layout(cr, layout.get());
  cairo_restore(cr);
}

}  // namespace deskhand
