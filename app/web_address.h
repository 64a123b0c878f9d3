// The web server's address as another device in the room must type it: a
// server listening on every interface (0.0.0.0, [::]) is reached at one of
// this machine's own addresses, not at the wildcard.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// `url` with a wildcard host replaced by the first address of `local` that
// a phone can reach (IPv4 before IPv6, neither loopback nor link-local);
// any other URL, or no such address, leaves it as it is.
QString ReachableWebAddress(const QString& url, const QList<QHostAddress>& local);

// This machine's addresses, as the network interfaces report them now.
QList<QHostAddress> LocalAddresses();
