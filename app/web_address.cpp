#include "app/web_address.h"

#include <QNetworkInterface>
#include <QUrl>

namespace {

bool ReachableFromOutside(const QHostAddress& address) {
  return !address.isLoopback() && !address.isLinkLocal() && !address.isNull() && address != QHostAddress::AnyIPv4 &&
         address != QHostAddress::AnyIPv6;
}

}  // namespace

QString ReachableWebAddress(const QString& url, const QList<QHostAddress>& local) {
  QUrl parsed(url);
  const QHostAddress host(parsed.host());
  if (host != QHostAddress::AnyIPv4 && host != QHostAddress::AnyIPv6) return url;
  for (const auto protocol : {QAbstractSocket::IPv4Protocol, QAbstractSocket::IPv6Protocol}) {
    for (const QHostAddress& address : local) {
      if (address.protocol() != protocol || !ReachableFromOutside(address)) continue;
      // An IPv6 address without its zone: a phone has its own interface names.
      parsed.setHost(QHostAddress(address.toString().section(QLatin1Char('%'), 0, 0)).toString());
      return parsed.toString();
    }
  }
  return url;
}

QList<QHostAddress> LocalAddresses() { return QNetworkInterface::allAddresses(); }
