#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace korvalen {

// Where the IBus daemon of this session listens, found the way IBus's own clients find it: the
// address in $IBUS_ADDRESS, else the one the daemon wrote to its address file for this display,
// as long as the process that wrote it lives.
class IbusBusAddress {
public:
    // The address files the daemon writes for this session, in the order IBus clients try
    // them: $IBUS_ADDRESS_FILE alone when set; else "<machine id>-<host>-<display number>" in
    // the bus folder, for $WAYLAND_DISPLAY ("unix-wayland-0") and for $DISPLAY ("unix-0" for
    // ":0.0"), and "unix-0" when neither is set.
    static QStringList addressFiles();
    // The folder of the address files: ibus/bus in $XDG_CONFIG_HOME (~/.config by default).
    static QString busFolder();

    // The daemon's address now; none when no daemon of this session runs.
    static std::optional<IbusBusAddress> current();

    // Whether the process that wrote the address file still runs: a daemon that was killed
    // leaves its file behind. False for an address from the environment, which names none.
    bool writerRuns() const;

    QString address;
    // The daemon's process, when its address file gave the address.
    std::optional<qint64> pid;
};

} // namespace korvalen
