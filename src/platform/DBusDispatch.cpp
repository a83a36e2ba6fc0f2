#include "platform/DBusDispatch.h"

#include "platform/Exceptions.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>

using namespace AutomationBus;

QDBusArgument& operator<<(QDBusArgument& Arg, const TDBusObjectRef& Ref)
{
    Arg.beginStructure();
    Arg << Ref.Service << Ref.Path;
    Arg.endStructure();
    return Arg;
}

const QDBusArgument& operator>>(const QDBusArgument& Arg, TDBusObjectRef& Ref)
{
    Arg.beginStructure();
    Arg >> Ref.Service >> Ref.Path;
    Arg.endStructure();
    return Arg;
}

QDBusArgument& operator<<(QDBusArgument& Arg, const TDBusSpecialValue& Value)
{
    Arg.beginStructure();
    Arg << Value.Kind;
    Arg.endStructure();
    return Arg;
}

const QDBusArgument& operator>>(const QDBusArgument& Arg, TDBusSpecialValue& Value)
{
    Arg.beginStructure();
    Arg >> Value.Kind;
    Arg.endStructure();
    return Arg;
}

void RegisterAutomationTypes()
{
    qDBusRegisterMetaType<TDBusObjectRef>();
    qDBusRegisterMetaType<TDBusSpecialValue>();
}

namespace {

QVariant Special(uchar Kind)
{
    return QVariant::fromValue(TDBusSpecialValue{Kind});
}

[[noreturn]] void Unsupported(const QString& What)
{
    throw EOleError(QStringLiteral("Type mismatch: %1 is not an automation value").arg(What));
}

// The remote side of a dispatch: every call is one Invoke on the peer's
// object, and a received object is released once when the last copy goes.
class TDBusAutomationObject : public IAutomationObject {
public:
    TDBusAutomationObject(const QDBusConnection& Bus, const TDBusObjectRef& Ref, bool Releases)
        : FBus(Bus), FRef(Ref), FReleases(Releases) {}
    ~TDBusAutomationObject() override
    {
        if (!FReleases)
            return;
        // Fire and forget: a peer that has gone needs no release.
        QDBusMessage release = QDBusMessage::createMethodCall(FRef.Service, FRef.Path.path(),
                                                              QLatin1String(Interface), QStringLiteral("Release"));
        release.setAutoStartService(false);
        FBus.send(release);
    }
    TDBusAutomationObject(const TDBusAutomationObject&) = delete;
    TDBusAutomationObject& operator=(const TDBusAutomationObject&) = delete;

    TDispatchValue Get(const QString& Name, const TDispatchArgs& Args) override
    {
        return Invoke(Name, dfGet, Args);
    }
    void Put(const QString& Name, const TDispatchArgs& Args, const TDispatchValue& Value) override
    {
        TDispatchArgs all = Args;
        all.push_back(Value);
        Invoke(Name, dfPut, all);
    }
    TDispatchValue Call(const QString& Name, const TDispatchArgs& Args) override
    {
        return Invoke(Name, dfMethodOrGet, Args);
    }

    const TDBusObjectRef& Ref() const { return FRef; }
    const QDBusConnection& Bus() const { return FBus; }

    TPendingGet BeginGet(const QString& Name, const TDispatchArgs& Args) override
    {
        QDBusPendingCall pending = FBus.asyncCall(InvokeMessage(Name, dfGet, Args));
        return TPendingGet([pending, bus = FBus]() mutable {
            pending.waitForFinished();
            return Answer(pending.reply(), bus);
        });
    }

private:
    QDBusMessage InvokeMessage(const QString& Name, uint Flags, const TDispatchArgs& Args) const
    {
        QVariantList wire;
        wire.reserve(static_cast<qsizetype>(Args.size()));
        for (const TDispatchValue& arg : Args)
            wire << EncodeAutomationValue(arg, RemoteReference);
        QDBusMessage call = QDBusMessage::createMethodCall(FRef.Service, FRef.Path.path(),
                                                           QLatin1String(Interface), QStringLiteral("Invoke"));
        call << Name << Flags << QVariant::fromValue(wire);
        call.setAutoStartService(false);
        return call;
    }

    static TDispatchValue Answer(const QDBusMessage& Reply, const QDBusConnection& Bus)
    {
        if (Reply.type() == QDBusMessage::ErrorMessage)
            throw EOleError(Reply.errorMessage().isEmpty() ? Reply.errorName() : Reply.errorMessage());
        if (Reply.arguments().isEmpty())
            return TDispatchValue(TVariant());
        return DecodeAutomationValue(Reply.arguments().constFirst(), RemoteImporter(Bus));
    }

    TDispatchValue Invoke(const QString& Name, uint Flags, const TDispatchArgs& Args)
    {
        return Answer(FBus.call(InvokeMessage(Name, Flags, Args)), FBus);
    }

    QDBusConnection FBus;
    TDBusObjectRef FRef;
    bool FReleases;
};

TDispatchValue DecodeSpecial(uchar Kind)
{
    switch (Kind) {
    case svEmpty:
        return TVariant();
    case svNull:
        return TVariant::Null();
    case svMissing:
        return TDispatchValue();
    default:
        Unsupported(QStringLiteral("special value %1").arg(Kind));
    }
}

TDispatchValue DecodeArgument(const QDBusArgument& Arg, const TImportObject& Import)
{
    const QString signature = Arg.currentSignature();
    if (signature == QLatin1String("(so)")) {
        TDBusObjectRef ref;
        Arg >> ref;
        if (!Import)
            Unsupported(QStringLiteral("an object reference"));
        return Import(ref);
    }
    if (signature == QLatin1String("(y)")) {
        TDBusSpecialValue special;
        Arg >> special;
        return DecodeSpecial(special.Kind);
    }
    Unsupported(QStringLiteral("signature %1").arg(signature));
}

} // namespace

QVariant EncodeAutomationValue(const TDispatchValue& Value, const TExportObject& Export)
{
    switch (Value.kind()) {
    case TDispatchValue::Kind::Missing:
        return Special(svMissing);
    case TDispatchValue::Kind::Boolean:
        return QVariant(Value.AsBoolean());
    case TDispatchValue::Kind::Object:
        if (!Export)
            Unsupported(QStringLiteral("an object of this process"));
        return QVariant::fromValue(Export(Value.AsDispatch()));
    case TDispatchValue::Kind::Value:
        break;
    }
    const TVariant& v = Value.AsVariant();
    switch (v.type()) {
    case TVariant::Type::Empty:
        return Special(svEmpty);
    case TVariant::Type::Null:
        return Special(svNull);
    case TVariant::Type::Integer:
        return QVariant(v.toInt());
    case TVariant::Type::Double:
        return QVariant(v.toDouble());
    case TVariant::Type::Text:
        return QVariant(v.toString());
    }
    return Special(svEmpty);
}

TDispatchValue DecodeAutomationValue(const QVariant& Value, const TImportObject& Import)
{
    if (Value.metaType() == QMetaType::fromType<QDBusVariant>())
        return DecodeAutomationValue(Value.value<QDBusVariant>().variant(), Import);
    if (Value.metaType() == QMetaType::fromType<QDBusArgument>())
        return DecodeArgument(Value.value<QDBusArgument>(), Import);
    // Values that never left this process arrive unmarshalled.
    if (Value.metaType() == QMetaType::fromType<TDBusSpecialValue>())
        return DecodeSpecial(Value.value<TDBusSpecialValue>().Kind);
    if (Value.metaType() == QMetaType::fromType<TDBusObjectRef>()) {
        if (!Import)
            Unsupported(QStringLiteral("an object reference"));
        return Import(Value.value<TDBusObjectRef>());
    }
    switch (Value.metaType().id()) {
    case QMetaType::Int:
        return TVariant(static_cast<int32_t>(Value.toInt()));
    case QMetaType::Double:
        return TVariant(Value.toDouble());
    case QMetaType::QString:
        return TVariant(Value.toString());
    case QMetaType::Bool:
        return TDispatchValue(Value.toBool());
    default:
        Unsupported(QString::fromLatin1(Value.metaType().name()));
    }
}

TDispatch RemoteDispatch(const QDBusConnection& Bus, const TDBusObjectRef& Ref)
{
    if (Ref.IsNil())
        return TDispatch();
    return TDispatch(std::make_shared<TDBusAutomationObject>(Bus, Ref, true));
}

TDispatch BorrowedDispatch(const QDBusConnection& Bus, const TDBusObjectRef& Ref)
{
    if (Ref.IsNil())
        return TDispatch();
    return TDispatch(std::make_shared<TDBusAutomationObject>(Bus, Ref, false));
}

TImportObject RemoteImporter(const QDBusConnection& Bus)
{
    return [Bus](const TDBusObjectRef& Ref) { return RemoteDispatch(Bus, Ref); };
}

TDBusObjectRef RemoteReference(const TDispatch& Dispatch)
{
    if (const auto* remote = dynamic_cast<const TDBusAutomationObject*>(Dispatch.Object().get()))
        return remote->Ref();
    return {};
}

QDBusConnection RemoteBus(const TDispatch& Dispatch)
{
    if (const auto* remote = dynamic_cast<const TDBusAutomationObject*>(Dispatch.Object().get()))
        return remote->Bus();
    return QDBusConnection(QString());
}
