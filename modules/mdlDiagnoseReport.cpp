// The report of the diagnosis: the lines after the probe's, and the one JSON object.
#include "modules/mdlDiagnose.h"

#include "modules/JsonWriter.h"
#include "modules/mdlDiagnoseTexts.h"
#include "platform/DecimalText.h"

namespace pruvolt::mdlDiagnose {

namespace {

const wchar_t* FileStateText(FileState state) {
    return state == FileState::Present   ? texts::kFilePresent
           : state == FileState::Missing ? texts::kFileMissing
                                         : texts::kFileNotChecked;
}

void RegistrationLines(std::vector<std::wstring>& lines, const wchar_t* heading,
                       const std::vector<Registration>& list, int bits) {
    lines.push_back(Fill(heading, {BitsNumber(bits)}));
    const std::size_t before = lines.size();
    for (const auto& registration : list) {
        if (registration.bits != bits) continue;
        lines.push_back(Fill(texts::kReportRegistration, {registration.name, registration.file,
                                                          FileStateText(registration.fileState)}));
    }
    if (lines.size() == before) lines.push_back(texts::kReportNone);
}

void RegistrationsJson(JsonWriter& json, const wchar_t* key,
                       const std::vector<Registration>& list) {
    json.Key(key).BeginArray();
    for (const auto& registration : list) {
        json.BeginObject()
            .Key(L"name").String(registration.name)
            .Key(L"bits").Number(registration.bits)
            .Key(L"file").String(registration.file)
            .Key(L"fileExists");
        if (registration.fileState == FileState::NotChecked) {
            json.Null();
        } else {
            json.Bool(registration.fileState == FileState::Present);
        }
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace

std::vector<std::wstring> ReportLines(const Facts& facts, const std::vector<Finding>& findings) {
    std::vector<std::wstring> lines;
    lines.push_back(Fill(
        texts::kReportWindows,
        {facts.windowsVersion, BitsText(facts.windows64 ? 64 : 32), BitsNumber(facts.probeBits)}));
    const int lastBits = facts.windows64 ? 64 : 32;
    for (int bits = 32; bits <= lastBits; bits += 32) {
        RegistrationLines(lines, texts::kReportOleDb, facts.oledb, bits);
    }
    for (int bits = 32; bits <= lastBits; bits += 32) {
        RegistrationLines(lines, texts::kReportOdbc, facts.odbc, bits);
    }
    lines.push_back(texts::kReportOffice);
    for (const auto& office : facts.office) {
        lines.push_back(Fill(
            office.kind == OfficeKind::ClickToRun ? texts::kReportClickToRun : texts::kReportMsi,
            {office.version, BitsText(office.bits)}));
    }
    if (facts.office.empty()) lines.push_back(texts::kReportNone);
    lines.push_back(
        Fill(texts::kReportInstaller,
             {facts.installer.file, BitsText(facts.installer.bits),
              facts.installer.present ? texts::kInstallerBeside : texts::kInstallerNotBeside}));
    if (findings.empty()) {
        lines.push_back(texts::kReportNoFindings);
    } else {
        lines.push_back(Fill(texts::kReportFindings,
                             {DecimalText(static_cast<std::int64_t>(findings.size()))}));
        for (const auto& finding : findings) lines.push_back(FindingLine(finding));
    }
    return lines;
}

std::wstring ReportJson(const std::optional<PlatformError>& probeFailure, const Facts& facts,
                        const std::vector<Finding>& findings) {
    JsonWriter json;
    json.BeginObject();
    json.Key(L"probe").BeginObject()
        .Key(L"ok").Bool(!probeFailure)
        .Key(L"number").Number(probeFailure ? probeFailure->number : 0)
        .Key(L"description").String(probeFailure ? probeFailure->description : L"")
        .Key(L"bits").Number(facts.probeBits)
        .EndObject();
    json.Key(L"windows").BeginObject()
        .Key(L"version").String(facts.windowsVersion)
        .Key(L"is64").Bool(facts.windows64)
        .EndObject();
    RegistrationsJson(json, L"oledb", facts.oledb);
    RegistrationsJson(json, L"odbc", facts.odbc);
    json.Key(L"office").BeginArray();
    for (const auto& office : facts.office) {
        json.BeginObject()
            .Key(L"kind").String(office.kind == OfficeKind::ClickToRun ? L"clicktorun" : L"msi")
            .Key(L"version").String(office.version)
            .Key(L"bits");
        if (office.bits == 0) {
            json.Null();
        } else {
            json.Number(office.bits);
        }
        json.EndObject();
    }
    json.EndArray();
    json.Key(L"installer").BeginObject()
        .Key(L"file").String(facts.installer.file)
        .Key(L"bits").Number(facts.installer.bits)
        .Key(L"present").Bool(facts.installer.present)
        .EndObject();
    json.Key(L"findings").BeginArray();
    for (const auto& finding : findings) {
        json.BeginObject()
            .Key(L"code").String(CodeName(finding.code))
            .Key(L"text").String(finding.text)
            .EndObject();
    }
    json.EndArray();
    json.EndObject();
    return json.Text();
}

}  // namespace pruvolt::mdlDiagnose
