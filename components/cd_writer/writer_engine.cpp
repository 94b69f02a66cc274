#include "components/cd_writer/writer_engine.h"

#include "components/cd_writer/burn_drive.h"
#include "components/cd_writer/cd_writer_dispids.h"
#include "components/cd_writer/image_recorder.h"
#include "components/cd_writer/libburn_drive.h"

namespace cd_writer {
namespace {

using platform::InvokeKind;
using platform::InvokeStatus;
using platform::Variant;
using platform::VariantList;

bool IsEnding(int eventId) {
    return eventId == event::kWriteComplete || eventId == event::kWriteCancelled ||
           eventId == event::kWriteError;
}

}  // namespace

RecorderList MachineRecorders() {
    RecorderList list;
    list.push_back(std::make_unique<ImageRecorder>());
    for (auto& drive : NewLibburnLibrary()->Scan())
        list.push_back(std::make_unique<BurnRecorder>(std::move(drive)));
    return list;
}

WriterEngine::WriterEngine(RecorderSource source, EventSink sink)
    : source_(std::move(source)), sink_(std::move(sink)) {}

WriterEngine::~WriterEngine() {
    abort_ = true;
    Join();
}

void WriterEngine::Join() {
    if (worker_.joinable()) worker_.join();
}

RecorderList& WriterEngine::Recorders() {
    if (!recorders_)
        recorders_ = std::make_unique<RecorderList>(source_ ? source_() : RecorderList{});
    return *recorders_;
}

IRecorder* WriterEngine::Recorder(size_t index) {
    RecorderList& list = Recorders();
    return index < list.size() ? list[index].get() : nullptr;
}

IRecorder* WriterEngine::Current() {
    return selected_ >= 0 ? Recorder(static_cast<size_t>(selected_)) : nullptr;
}

bool WriterEngine::AddTrack(const std::string& path, int index) {
    if (writing_ || index < 0 || index > static_cast<int>(tracks_.size())) return false;
    if (!IsUsableMp3(path)) return false;
    if (index == static_cast<int>(tracks_.size())) {
        tracks_.push_back(path);
        texts_.emplace_back();
    } else {
        tracks_[static_cast<size_t>(index)] = path;
        texts_[static_cast<size_t>(index)] = {};
    }
    return true;
}

bool WriterEngine::SetTrackText(int index, const std::string& title,
                                const std::string& performer) {
    if (writing_ || index < 0 || index >= static_cast<int>(tracks_.size())) return false;
    texts_[static_cast<size_t>(index)] = {title, performer};
    return true;
}

bool WriterEngine::StartWrite() {
    IRecorder* recorder = Current();
    if (!recorder || writing_ || tracks_.empty()) return false;
    Join();
    abort_ = false;
    writing_ = true;
    // The worker owns its session; the flag drops before the ending event leaves, so a host
    // that starts the next write from its handler finds the control idle.
    worker_ = std::thread([this, recorder, paths = tracks_, texts = texts_, options = options_] {
        auto sink = [this](int eventId, VariantList args) {
            if (IsEnding(eventId)) writing_ = false;
            if (sink_) sink_(eventId, std::move(args));
        };
        WriteSession session(paths, options, sink, &abort_, texts);
        recorder->Write(session);
        // A recorder that forgot its ending still ends the write.
        if (!session.Ended()) session.Error(write_error::kDevice, device_error::kDriveFailure);
        writing_ = false;
    });
    return true;
}

InvokeStatus WriterEngine::Invoke(int id, InvokeKind kind, const VariantList& args,
                                  Variant* result) {
    Variant scratch;
    Variant& out = result ? *result : scratch;
    const size_t count = args.size();
    if (kind == InvokeKind::PropertyPut) {
        if (count != 1) return InvokeStatus::BadArguments;
        switch (id) {
            case dispid::kTestWrite:
                options_.test = args[0].ToBool();
                return InvokeStatus::Ok;
            case dispid::kWriteOption5:
                writeOption5_ = args[0].ToBool();
                return InvokeStatus::Ok;
            case dispid::kCacheFiles:
                options_.cacheFiles = args[0].ToBool();
                return InvokeStatus::Ok;
            case dispid::kWriteMode7:
                writeMode7_ = args[0].ToInt();
                return InvokeStatus::Ok;
            default:
                break;
        }
        return id >= 1 && id <= dispid::kLastImage ? InvokeStatus::NotSupported : InvokeStatus::UnknownDispatchId;
    }
    if (kind == InvokeKind::PropertyGet) {
        switch (id) {
            case dispid::kTestWrite:
            case dispid::kWriteOption5:
            case dispid::kCacheFiles:
            case dispid::kWriteMode7:
                return InvokeStatus::NotSupported;
            case dispid::kLastImage: {
                if (count != 0) return InvokeStatus::BadArguments;
                IRecorder* r = Current();
                out = Variant(r && !writing_ ? r->LastImage() : std::string());
                return InvokeStatus::Ok;
            }
            default:
                break;
        }
    }
    auto want = [&](size_t n) { return count == n; };
    auto index = [&] { return static_cast<int16_t>(args[0].ToInt()); };
    switch (id) {
        case dispid::kGetDeviceCount:
            if (!want(0)) return InvokeStatus::BadArguments;
            out = Variant(int32_t(static_cast<int16_t>(Recorders().size())));
            return InvokeStatus::Ok;
        case dispid::kGetDeviceText1:
        case dispid::kGetDeviceText2:
        case dispid::kGetDeviceText3: {
            if (!want(1)) return InvokeStatus::BadArguments;
            const int i = index();
            IRecorder* r = i >= 0 ? Recorder(static_cast<size_t>(i)) : nullptr;
            if (!r)
                out = Variant(std::string());
            else if (id == dispid::kGetDeviceText1)
                out = Variant(r->Text1());
            else if (id == dispid::kGetDeviceText2)
                out = Variant(r->Text2());
            else
                out = Variant(r->Text3());
            return InvokeStatus::Ok;
        }
        case dispid::kSelectDevice: {
            if (!want(1)) return InvokeStatus::BadArguments;
            const int i = index();
            IRecorder* r = i >= 0 && !writing_ ? Recorder(static_cast<size_t>(i)) : nullptr;
            const bool ok = r && r->Select();
            if (!writing_) selected_ = ok ? i : -1;
            out = Variant(ok);
            return InvokeStatus::Ok;
        }
        case dispid::kGetMaxWriteSpeed: {
            if (!want(0)) return InvokeStatus::BadArguments;
            IRecorder* r = Current();
            out = Variant(int32_t(r ? static_cast<int16_t>(r->MaxWriteSpeed()) : 0));
            return InvokeStatus::Ok;
        }
        case dispid::kSetWriteSpeed:
            if (!want(1)) return InvokeStatus::BadArguments;
            options_.speed = std::max(0, args[0].ToInt());
            out = Variant(true);
            return InvokeStatus::Ok;
        case dispid::kHasWritableMedia: {
            if (!want(0)) return InvokeStatus::BadArguments;
            IRecorder* r = Current();
            out = Variant(r != nullptr && !writing_ && r->HasWritableMedia());
            return InvokeStatus::Ok;
        }
        case dispid::kGetDiscUsage: {
            if (!want(0)) return InvokeStatus::BadArguments;
            IRecorder* r = Current();
            out = Variant(int32_t(r && !writing_ ? r->DiscUsage() : 0));
            return InvokeStatus::Ok;
        }
        case dispid::kResetTracks:
            if (!want(0)) return InvokeStatus::BadArguments;
            if (!writing_) {
                tracks_.clear();
                texts_.clear();
            }
            out = Variant();
            return InvokeStatus::Ok;
        case dispid::kAddTrack:
            if (!want(2)) return InvokeStatus::BadArguments;
            out = Variant(AddTrack(args[0].ToString(), static_cast<int16_t>(args[1].ToInt())));
            return InvokeStatus::Ok;
        case dispid::kSetTrackText:
            if (!want(3)) return InvokeStatus::BadArguments;
            out = Variant(SetTrackText(static_cast<int16_t>(args[0].ToInt()), args[1].ToString(),
                                       args[2].ToString()));
            return InvokeStatus::Ok;
        case dispid::kPrepareWrite:
        case dispid::kAfterWriteComplete:
            if (!want(0)) return InvokeStatus::BadArguments;
            out = Variant(true);
            return InvokeStatus::Ok;
        case dispid::kIsBurnProofSupported: {
            if (!want(0)) return InvokeStatus::BadArguments;
            IRecorder* r = Current();
            out = Variant(r != nullptr && r->IsBurnProofSupported());
            return InvokeStatus::Ok;
        }
        case dispid::kSetBurnProof: {
            if (!want(1)) return InvokeStatus::BadArguments;
            IRecorder* r = Current();
            options_.burnProof = args[0].ToBool() && r && r->IsBurnProofSupported();
            out = Variant(true);
            return InvokeStatus::Ok;
        }
        case dispid::kStartWrite:
            if (!want(0)) return InvokeStatus::BadArguments;
            out = Variant(StartWrite());
            return InvokeStatus::Ok;
        case dispid::kAbortWrite:
            if (!want(0)) return InvokeStatus::BadArguments;
            abort_ = true;
            out = Variant();
            return InvokeStatus::Ok;
        default:
            return InvokeStatus::UnknownDispatchId;
    }
}

}  // namespace cd_writer
