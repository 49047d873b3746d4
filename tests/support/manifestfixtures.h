#pragma once

#include <QByteArray>
#include <QByteArrayList>

// Update manifests written out as property-list text, and their binary form made by libplist itself.
namespace manifests {

/// One dictionary entry with the given keys; a null QByteArray leaves the key out.
QByteArray entry(const QByteArray& appName, const QByteArray& version = {}, const QByteArray& url = {});

/// A complete XML property list whose root array holds the given entries (or any other elements).
QByteArray xml(const QByteArrayList& elements);

/// A complete XML property list with the given root element.
QByteArray xmlWithRoot(const QByteArray& root);

/// The binary property list of an XML one, written by plist_to_bin; empty when libplist can't read xml.
QByteArray toBinary(const QByteArray& xml);

} // namespace manifests
