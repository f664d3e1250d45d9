#pragma once
// Which registered loader and saver classes handle which file suffix. The table is built by
// asking one instance of every class for its fileFormats(), and rebuilt when the class registry
// changes.

#include <QString>
#include <QStringList>

namespace ur::detail {

// Class names registered under interfaceName ("IxImageDataLoader" or "IxImageDataSaver") whose
// formats list the suffix (lower case, no dot), in registration order.
QStringList HandlerClasses(const QString& interfaceName, const QString& suffix);

// Every suffix the classes registered under interfaceName handle, lower case, sorted.
QStringList HandledSuffixes(const QString& interfaceName);

}  // namespace ur::detail
