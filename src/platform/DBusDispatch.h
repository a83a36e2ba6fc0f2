#pragma once

#include "platform/Dispatch.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <functional>

class QDBusArgument;
class QDBusMessage;

// Late-bound automation over the session bus. An automation object of
// another process is a D-Bus object answering
//   org.quorbel.Automation.Invoke(s Member, u Flags, av Args) -> v Result
// and Release(); it is referred to as (so): bus name and object path.
// Values travel as i, d, s, b, (so), and the three values without data as
// the one-byte struct (y): 0 empty, 1 null, 2 omitted argument.

namespace AutomationBus {
inline constexpr const char* Interface = "org.quorbel.Automation";
inline constexpr const char* ErrorName = "org.quorbel.Error";
// The dispatch flags of a late-bound call.
enum TFlags : uint { dfMethod = 1, dfGet = 2, dfMethodOrGet = 3, dfPut = 4 };
enum TSpecial : uchar { svEmpty = 0, svNull = 1, svMissing = 2 };
} // namespace AutomationBus

// An object reference on the wire; the nil reference is ("", "/").
struct TDBusObjectRef {
    QString Service;
    QDBusObjectPath Path{QStringLiteral("/")};

    bool IsNil() const { return Service.isEmpty(); }
};
Q_DECLARE_METATYPE(TDBusObjectRef)

// A value without data on the wire.
struct TDBusSpecialValue {
    uchar Kind = AutomationBus::svEmpty;
};
Q_DECLARE_METATYPE(TDBusSpecialValue)

QDBusArgument& operator<<(QDBusArgument& Arg, const TDBusObjectRef& Ref);
const QDBusArgument& operator>>(const QDBusArgument& Arg, TDBusObjectRef& Ref);
QDBusArgument& operator<<(QDBusArgument& Arg, const TDBusSpecialValue& Value);
const QDBusArgument& operator>>(const QDBusArgument& Arg, TDBusSpecialValue& Value);

// Makes the two structs known to QtDBus; idempotent.
void RegisterAutomationTypes();

// How object references cross the wire: a sender turns its own objects into
// references, a receiver turns references into dispatch values.
using TExportObject = std::function<TDBusObjectRef(const TDispatch&)>;
using TImportObject = std::function<TDispatch(const TDBusObjectRef&)>;

// A dispatch value as the variant that goes into av or v. Without an
// exporter an object value raises EOleError.
QVariant EncodeAutomationValue(const TDispatchValue& Value, const TExportObject& Export = {});
// A received value (a plain QVariant, a QDBusVariant or a struct's
// QDBusArgument); EOleError for a type outside the contract.
TDispatchValue DecodeAutomationValue(const QVariant& Value, const TImportObject& Import);

// The object of another process, called through the bus. Every reference
// received counts one reference at the peer: the last copy of the
// TDispatch that holds it releases it.
TDispatch RemoteDispatch(const QDBusConnection& Bus, const TDBusObjectRef& Ref);
// The object of another process handed to us as an argument: it stays the
// passer's, so no copy ever releases it.
TDispatch BorrowedDispatch(const QDBusConnection& Bus, const TDBusObjectRef& Ref);
// The importer for references received from the bus: each becomes a remote
// dispatch; the nil reference an unassigned one.
TImportObject RemoteImporter(const QDBusConnection& Bus);
// Bus name and path of a remote dispatch; nil for anything else.
TDBusObjectRef RemoteReference(const TDispatch& Dispatch);
// The bus a remote dispatch is reached through, so that its events are
// followed on the same one; a connection that is not connected for anything
// else.
QDBusConnection RemoteBus(const TDispatch& Dispatch);
