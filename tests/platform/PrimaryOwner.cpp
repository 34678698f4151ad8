// A second X client for the capture tests, written with Xlib alone so that nothing answers for
// it: it owns the PRIMARY selection (text or a picture) and, when asked, the CLIPBOARD, answers
// requests for them, and writes every key event its focused window receives to a log file.
//   primary_owner LOG [--primary TEXT] [--primary-picture] [--clipboard TEXT]
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace talvero {

namespace {

struct Owned {
    Atom selection;
    std::string text;
    bool picture = false;
};

void Answer(Display* d, const XSelectionRequestEvent& req, const Owned& owned)
{
    const Atom targets = XInternAtom(d, "TARGETS", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    const Atom png = XInternAtom(d, "image/png", False);
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = d;
    reply.requestor = req.requestor;
    reply.selection = req.selection;
    reply.target = req.target;
    reply.time = req.time;
    reply.property = req.property != None ? req.property : req.target;
    if (req.target == targets) {
        Atom offered[3] = {targets, utf8, XA_STRING};
        if (owned.picture) offered[1] = offered[2] = png;
        XChangeProperty(d, req.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(offered), owned.picture ? 2 : 3);
    } else if (!owned.picture && (req.target == utf8 || req.target == XA_STRING)) {
        XChangeProperty(d, req.requestor, reply.property, req.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(owned.text.data()),
                        int(owned.text.size()));
    } else if (owned.picture && req.target == png) {
        static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        XChangeProperty(d, req.requestor, reply.property, png, 8, PropModeReplace, signature, 8);
    } else {
        reply.property = None;
    }
    XSendEvent(d, req.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(d);
}

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    if (argc < 2) return 2;
    FILE* log = std::fopen(argv[1], "w");
    Display* d = XOpenDisplay(nullptr);
    if (!log || !d) return 1;
    Owned primary{XA_PRIMARY, {}, false}, clipboard{XInternAtom(d, "CLIPBOARD", False), {}, false};
    bool ownPrimary = false, ownClipboard = false;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--primary") && i + 1 < argc) {
            primary.text = argv[++i];
            ownPrimary = true;
        } else if (!std::strcmp(argv[i], "--primary-picture")) {
            primary.picture = ownPrimary = true;
        } else if (!std::strcmp(argv[i], "--clipboard") && i + 1 < argc) {
            clipboard.text = argv[++i];
            ownClipboard = true;
        }
    }
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 40, 40, 300, 100, 0, 0, 0xFFFFFF);
    XStoreName(d, w, "talvero-primary-owner");
    XSelectInput(d, w, KeyPressMask | KeyReleaseMask | PropertyChangeMask);
    XMapWindow(d, w);
    if (ownPrimary) XSetSelectionOwner(d, primary.selection, w, CurrentTime);
    if (ownClipboard) XSetSelectionOwner(d, clipboard.selection, w, CurrentTime);
    XSync(d, False);
    for (;;) {
        XEvent e;
        XNextEvent(d, &e);
        if (e.type == KeyPress || e.type == KeyRelease) {
            std::fprintf(log, "%s %u %u\n", e.type == KeyPress ? "press" : "release",
                         e.xkey.keycode, e.xkey.state);
            std::fflush(log);
        } else if (e.type == SelectionRequest) {
            const XSelectionRequestEvent& req = e.xselectionrequest;
            Answer(d, req, req.selection == primary.selection ? primary : clipboard);
        } else if (e.type == SelectionClear) {
            std::fprintf(log, "lost %s\n",
                         e.xselectionclear.selection == XA_PRIMARY ? "primary" : "clipboard");
            std::fflush(log);
        }
    }
}
