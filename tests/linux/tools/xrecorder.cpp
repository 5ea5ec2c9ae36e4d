// A recording X client for the input tests. It opens a window that does not move under a window manager
// (override-redirect), maps it, raises and focuses it, prints "ready", then writes one JSON line per
// button, motion and key event it receives, flushing each, until it is killed or the given time is up.
//
// Usage: xrecorder [--geometry WxH+X+Y] [--seconds N]   (default: the whole screen, no time limit)
#include <poll.h>
#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

struct Keymap {
  xcb_keycode_t min = 0;
  int per = 0;
  std::vector<xcb_keysym_t> syms;
};

Keymap readKeymap(xcb_connection_t* c) {
  Keymap map;
  const xcb_setup_t* setup = xcb_get_setup(c);
  map.min = setup->min_keycode;
  auto cookie = xcb_get_keyboard_mapping(c, setup->min_keycode,
                                         static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1));
  xcb_get_keyboard_mapping_reply_t* r = xcb_get_keyboard_mapping_reply(c, cookie, nullptr);
  if (!r) return map;
  map.per = r->keysyms_per_keycode;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
  map.syms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(r));
  std::free(r);
  return map;
}

xcb_keysym_t keysymAt(const Keymap& map, xcb_keycode_t code, int column) {
  if (code < map.min || column >= map.per) return 0;
  std::size_t i = static_cast<std::size_t>(code - map.min) * map.per + column;
  return i < map.syms.size() ? map.syms[i] : 0;
}

void emit(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string num(long v) { return std::to_string(v); }

}  // namespace

int main(int argc, char** argv) {
  int width = 0, height = 0, x = 0, y = 0;
  double seconds = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--geometry") && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d+%d+%d", &width, &height, &x, &y) != 4) {
        std::fprintf(stderr, "xrecorder: bad geometry\n");
        return 2;
      }
    } else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: xrecorder [--geometry WxH+X+Y] [--seconds N]\n");
      return 2;
    }
  }
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);

  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "xrecorder: cannot open display\n");
    return 1;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
  xcb_screen_t* screen = it.data;
  if (width <= 0 || height <= 0) {
    width = screen->width_in_pixels;
    height = screen->height_in_pixels;
  }

  xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK;
  const std::uint32_t values[] = {screen->white_pixel, 1,
                                  XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_BUTTON_PRESS |
                                      XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                                      XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, static_cast<std::int16_t>(x),
                    static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                    0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, mask, values);
  const char* title = "xrecorder";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      static_cast<std::uint32_t>(std::strlen(title)), title);
  xcb_map_window(c, window);
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  xcb_flush(c);

  Keymap keymap = readKeymap(c);
  bool ready = false;
  int fd = xcb_get_file_descriptor(c);
  xcb_timestamp_t start = 0;
  long elapsedMs = 0;
  while (!stopRequested) {
    if (seconds > 0 && elapsedMs >= static_cast<long>(seconds * 1000)) break;
    xcb_generic_event_t* ev = xcb_poll_for_event(c);
    if (!ev) {
      if (xcb_connection_has_error(c)) break;
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, 1, 50);
      elapsedMs += 50;  // upper bound is enough for a time limit
      continue;
    }
    switch (ev->response_type & 0x7f) {
      case XCB_MAP_NOTIFY:
        // Focus only once the window is viewable; a focus request on an unmapped window fails.
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        xcb_flush(c);
        break;
      case XCB_FOCUS_IN:
        if (!ready) {
          ready = true;
          emit("ready");
        }
        break;
      case XCB_FOCUS_OUT:
        emit("{\"type\":\"FocusOut\"}");
        break;
      case XCB_MAPPING_NOTIFY:
        keymap = readKeymap(c);
        break;
      case XCB_BUTTON_PRESS:
      case XCB_BUTTON_RELEASE: {
        auto* b = reinterpret_cast<xcb_button_press_event_t*>(ev);
        if (!start) start = b->time;
        emit(std::string("{\"type\":\"") +
             ((ev->response_type & 0x7f) == XCB_BUTTON_PRESS ? "ButtonPress" : "ButtonRelease") +
             "\",\"button\":" + num(b->detail) + ",\"x\":" + num(b->event_x) + ",\"y\":" + num(b->event_y) +
             ",\"rootX\":" + num(b->root_x) + ",\"rootY\":" + num(b->root_y) + ",\"state\":" + num(b->state) +
             ",\"time\":" + num(static_cast<long>(b->time - start)) + "}");
        break;
      }
      case XCB_MOTION_NOTIFY: {
        auto* m = reinterpret_cast<xcb_motion_notify_event_t*>(ev);
        if (!start) start = m->time;
        emit("{\"type\":\"MotionNotify\",\"x\":" + num(m->event_x) + ",\"y\":" + num(m->event_y) +
             ",\"rootX\":" + num(m->root_x) + ",\"rootY\":" + num(m->root_y) + ",\"state\":" + num(m->state) +
             ",\"time\":" + num(static_cast<long>(m->time - start)) + "}");
        break;
      }
      case XCB_KEY_PRESS:
      case XCB_KEY_RELEASE: {
        auto* k = reinterpret_cast<xcb_key_press_event_t*>(ev);
        if (!start) start = k->time;
        int level = (k->state & XCB_MOD_MASK_SHIFT) ? 1 : 0;
        emit(std::string("{\"type\":\"") + ((ev->response_type & 0x7f) == XCB_KEY_PRESS ? "KeyPress" : "KeyRelease") +
             "\",\"keycode\":" + num(k->detail) + ",\"keysym\":" + num(keysymAt(keymap, k->detail, 0)) +
             ",\"levelKeysym\":" + num(keysymAt(keymap, k->detail, level)) + ",\"state\":" + num(k->state) +
             ",\"time\":" + num(static_cast<long>(k->time - start)) + "}");
        break;
      }
      default:
        break;
    }
    std::free(ev);
  }
  emit("{\"type\":\"end\"}");
  xcb_disconnect(c);
  return 0;
}
