// A stand-in for the word processor that records every automation call with its arguments
// and can fail the n-th call.
#pragma once

#include "run/office/WordAutomation.h"

#include <string>
#include <vector>

namespace vexlo::test {

class RecordingWord : public word::ApplicationSource,
                      word::Application,
                      word::Documents,
                      word::Selection,
                      word::Find,
                      word::ActiveDocument {
  public:
    struct Call {
        std::string name;
        word::Arguments arguments;
    };

    /// The calls in order; "connect" marks each time an application was asked for.
    std::vector<Call> calls;
    /// The 1-based number of the interface call that fails (0: none); connects do not count.
    int failAt = 0;
    /// What ActiveDocument.SaveFormat reports for the document opened.
    std::int32_t format = word::wdFormatText;
    /// The roots holdRoot was told, in order (not an automation call).
    std::vector<std::string> heldRoots;
    static constexpr const char *kFailure = "The recorded call failed.";

    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const Call &c : calls)
            out.push_back(c.name);
        return out;
    }

    word::Application &application() override
    {
        calls.push_back({"connect", {}});
        return *this;
    }

  private:
    word::Documents &documents() override { return *this; }
    word::Selection &selection() override { return *this; }
    word::ActiveDocument &activeDocument() override { return *this; }
    word::Find &find() override { return *this; }
    word::Replacement &replacement() override { return m_replacement; }

    word::CallResult record(std::string name, const word::Arguments &arguments)
    {
        calls.push_back({std::move(name), arguments});
        if (++m_count == failAt)
            return word::CallResult::Failure(word::kExceptionOccurred, kFailure);
        return word::CallResult::Success();
    }

    word::CallResult Open(const word::Arguments &a) override { return record("Documents.Open", a); }
    word::CallResult ClearFormatting() override { return record("Find.ClearFormatting", {}); }
    word::CallResult Execute(const word::Arguments &a, bool &found) override
    {
        found = false;
        return record("Find.Execute", a);
    }
    word::CallResult SaveAs(const word::Arguments &a) override { return record("ActiveDocument.SaveAs", a); }
    word::CallResult SaveFormat(std::int32_t &out) override
    {
        out = format;
        return record("ActiveDocument.SaveFormat", {});
    }
    void holdRoot(const std::string &root, int) override { heldRoots.push_back(root); }
    word::CallResult Close(const word::Arguments &a) override { return record("ActiveDocument.Close", a); }
    word::CallResult Quit(const word::Arguments &a) override { return record("Application.Quit", a); }

    struct ReplacementObject : word::Replacement {
        RecordingWord *owner;
        explicit ReplacementObject(RecordingWord *o) : owner(o) {}
        word::CallResult ClearFormatting() override
        {
            return owner->record("Replacement.ClearFormatting", {});
        }
    };

    int m_count = 0;
    ReplacementObject m_replacement{this};
};

} // namespace vexlo::test
