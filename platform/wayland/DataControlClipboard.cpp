// The selection on Wayland without the focus: the compositor's data-control protocol (offered by
// sway, KDE Plasma and Hyprland to clients that ask) tells this connection of every selection
// and hands over its text through a pipe. The toolkit's own clipboard is used where the
// compositor offers neither version.
#include <fcntl.h>
#include <gdk/gdkwayland.h>
#include <glib-unix.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "base/CodePage.h"
#include "ext-data-control-v1-client.h"
#include "platform/wayland/WaylandBackends.h"
#include "wlr-data-control-unstable-v1-client.h"

namespace talvero {

namespace {

// Both protocols have the same messages in the same order, so after the manager is bound (by
// its own name) one set of wrappers drives either: the wire carries object ids and opcodes.
using Manager = zwlr_data_control_manager_v1;
using Device = zwlr_data_control_device_v1;
using Offer = zwlr_data_control_offer_v1;

// Text types in the order they are asked for: the first ones say UTF-8.
constexpr std::array<const char*, 5> kTextTypes = {"text/plain;charset=utf-8", "UTF8_STRING",
                                                   "text/plain", "TEXT", "STRING"};

struct Read {
    std::function<void(const CapturedText&)> done;
    bool fromClipboard = false;
    int fd = -1;
    guint watch = 0;
    guint timer = 0;
    std::string bytes;
};

class DataControlClipboard : public IClipboard {
public:
    explicit DataControlClipboard(std::unique_ptr<IClipboard> fallback)
        : fallback(std::move(fallback))
    {
    }

    // False when the compositor offers no data control with a primary selection.
    bool Connect()
    {
        display = wl_display_connect(nullptr);
        if (!display) return false;
        registry = wl_display_get_registry(display);
        static const wl_registry_listener registryListener{&OnGlobal, &OnGlobalRemove};
        wl_registry_add_listener(registry, &registryListener, this);
        if (wl_display_roundtrip(display) < 0 || !manager || !seat) return false;
        device = zwlr_data_control_manager_v1_get_data_device(manager, seat);
        static const zwlr_data_control_device_v1_listener deviceListener{
            &OnDataOffer, &OnSelection, &OnFinished, &OnPrimarySelection};
        zwlr_data_control_device_v1_add_listener(device, &deviceListener, this);
        if (wl_display_roundtrip(display) < 0) return false;
        // Selections change while the window waits: their offers are taken as they come.
        watch =
            g_unix_fd_add(wl_display_get_fd(display), GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
                          &OnDisplayReadable, this);
        return true;
    }

    ~DataControlClipboard() override
    {
        CancelCapture();
        if (watch) g_source_remove(watch);
        for (auto& [offer, types] : offers)
            zwlr_data_control_offer_v1_destroy(offer);
        if (device) zwlr_data_control_device_v1_destroy(device);
        if (manager) zwlr_data_control_manager_v1_destroy(manager);
        if (seat) wl_seat_destroy(seat);
        if (registry) wl_registry_destroy(registry);
        if (display) wl_display_disconnect(display);
    }

    void CaptureSelection(int timeoutMs, std::function<void(const CapturedText&)> done) override
    {
        CancelCapture();
        // The selection just made (by a program that then ran a command) is known once the
        // compositor has answered everything asked before.
        if (!dead && wl_display_roundtrip(display) < 0) Lost();
        if (dead) {
            fallback->CaptureSelection(timeoutMs, std::move(done));
            return;
        }
        Offer* offer = primary;
        bool fromClipboard = false;
        if (!offer) {
            offer = clipboard;
            fromClipboard = true;
        }
        if (!offer) {
            done({CaptureOutcome::Nothing, {}, false});
            return;
        }
        const std::set<std::string>& types = offers[offer];
        const char* type = nullptr;
        for (const char* t : kTextTypes)
            if (types.count(t)) {
                type = t;
                break;
            }
        if (!type) {
            done({CaptureOutcome::NotText, {}, fromClipboard});
            return;
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            done({CaptureOutcome::NoAnswer, {}, fromClipboard});
            return;
        }
        zwlr_data_control_offer_v1_receive(offer, type, fds[1]);
        wl_display_flush(display);
        close(fds[1]);
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        current = std::make_unique<Read>();
        current->done = std::move(done);
        current->fromClipboard = fromClipboard;
        current->fd = fds[0];
        current->watch = g_unix_fd_add(fds[0], GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                       &OnPipeReadable, this);
        current->timer = g_timeout_add(guint(std::max(timeoutMs, 0)), &OnTimeout, this);
    }

    void CancelCapture() override
    {
        if (current) End();
        if (fallback) fallback->CancelCapture();
    }

    std::unique_ptr<IClipboard> TakeFallback() { return std::move(fallback); }

private:
    // Takes the read out of the window's way; its `done` is returned to call.
    std::function<void(const CapturedText&)> End()
    {
        std::unique_ptr<Read> read = std::move(current);
        if (read->watch) g_source_remove(read->watch);
        if (read->timer) g_source_remove(read->timer);
        close(read->fd);
        return std::move(read->done);
    }

    void Finish(const CapturedText& result)
    {
        auto done = End();
        if (done) done(result);
    }

    static gboolean OnPipeReadable(gint fd, GIOCondition, gpointer data)
    {
        auto* self = static_cast<DataControlClipboard*>(data);
        Read& read = *self->current;
        char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                read.bytes.append(buffer, size_t(n));
                // A huge offer is not read to its end: closing the pipe ends the owner's write.
                if (read.bytes.size() > kMaxCaptureBytes) {
                    read.watch = 0;
                    self->Finish({CaptureOutcome::TooLarge, {}, read.fromClipboard});
                    return G_SOURCE_REMOVE;
                }
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) return G_SOURCE_CONTINUE;
            break;  // the end of the text (or a broken pipe: what came is what there is)
        }
        read.watch = 0;
        const std::string text = Utf8ToCodePage(read.bytes);
        self->Finish({CaptureOutcome::Text, text, read.fromClipboard});
        return G_SOURCE_REMOVE;
    }

    static gboolean OnTimeout(gpointer data)
    {
        auto* self = static_cast<DataControlClipboard*>(data);
        self->current->timer = 0;
        self->Finish({CaptureOutcome::NoAnswer, {}, self->current->fromClipboard});
        return G_SOURCE_REMOVE;
    }

    static gboolean OnDisplayReadable(gint, GIOCondition condition, gpointer data)
    {
        auto* self = static_cast<DataControlClipboard*>(data);
        if ((condition & (G_IO_HUP | G_IO_ERR)) || wl_display_dispatch(self->display) < 0) {
            self->watch = 0;
            self->Lost();
            return G_SOURCE_REMOVE;
        }
        return G_SOURCE_CONTINUE;
    }

    // The compositor went away or ended our control: the toolkit's clipboard takes over.
    void Lost()
    {
        dead = true;
        if (watch) g_source_remove(watch);
        watch = 0;
    }

    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version)
    {
        auto* self = static_cast<DataControlClipboard*>(data);
        if (!std::strcmp(interface, wl_seat_interface.name) && !self->seat) {
            self->seat =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        } else if (!std::strcmp(interface, ext_data_control_manager_v1_interface.name)) {
            if (self->manager) zwlr_data_control_manager_v1_destroy(self->manager);
            self->manager = static_cast<Manager*>(
                wl_registry_bind(registry, name, &ext_data_control_manager_v1_interface, 1));
            self->preferred = true;
        } else if (!std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) &&
                   version >= 2 && !self->preferred) {
            // Version 2 is the first with the primary selection.
            self->manager = static_cast<Manager*>(
                wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 2));
        }
    }
    static void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

    static void OnDataOffer(void* data, Device*, Offer* offer)
    {
        auto* self = static_cast<DataControlClipboard*>(data);
        static const zwlr_data_control_offer_v1_listener offerListener{&OnOfferType};
        self->offers[offer];
        zwlr_data_control_offer_v1_add_listener(offer, &offerListener, self);
    }
    static void OnOfferType(void* data, Offer* offer, const char* type)
    {
        static_cast<DataControlClipboard*>(data)->offers[offer].insert(type);
    }
    static void OnSelection(void* data, Device*, Offer* offer)
    {
        auto* self = static_cast<DataControlClipboard*>(data);
        self->Replace(self->clipboard, offer);
    }
    static void OnPrimarySelection(void* data, Device*, Offer* offer)
    {
        auto* self = static_cast<DataControlClipboard*>(data);
        self->Replace(self->primary, offer);
    }
    static void OnFinished(void* data, Device*)
    {
        static_cast<DataControlClipboard*>(data)->Lost();
    }

    void Replace(Offer*& slot, Offer* offer)
    {
        Offer* old = slot;
        slot = offer;
        // The same offer may stand for both selections; it goes when neither holds it.
        if (old && old != primary && old != clipboard) {
            offers.erase(old);
            zwlr_data_control_offer_v1_destroy(old);
        }
    }

    std::unique_ptr<IClipboard> fallback;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    Manager* manager = nullptr;
    bool preferred = false;  // the manager is the standard protocol's
    Device* device = nullptr;
    guint watch = 0;
    bool dead = false;
    std::map<Offer*, std::set<std::string>> offers;
    Offer* primary = nullptr;
    Offer* clipboard = nullptr;
    std::unique_ptr<Read> current;
};

}  // namespace

bool IsWaylandDesktop()
{
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_WAYLAND_DISPLAY(display);
}

std::string DisplayProblem()
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    const char* x = std::getenv("DISPLAY");
    const char* backend = std::getenv("GDK_BACKEND");
    // With an X display the toolkit falls back to it; a backend forced to X never looks here.
    if (!name || !*name || (x && *x) || (backend && std::strstr(backend, "x11") == backend))
        return {};
    if (wl_display* display = wl_display_connect(nullptr)) {
        wl_display_disconnect(display);
        return {};
    }
    const int error = errno;
    return std::string("cannot reach the Wayland display '") + name +
           "' (WAYLAND_DISPLAY): " + std::strerror(error ? error : ENOENT);
}

std::unique_ptr<IClipboard> MakeDataControlClipboard(std::unique_ptr<IClipboard> fallback)
{
    auto control = std::make_unique<DataControlClipboard>(std::move(fallback));
    if (control->Connect()) return control;
    return control->TakeFallback();
}

}  // namespace talvero
