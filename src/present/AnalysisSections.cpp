#include "present/AnalysisSections.h"

#include "present/RobustnessPlots.h"

#include <optional>

namespace norvane {

namespace {

template <class Analysis>
struct AnalysisFormat {
    const char* m_Name;
    const char* m_Heading;
    std::string (*m_Line)(const Analysis&);
    TextTable (*m_Table)(const Analysis&);
    std::string (*m_Picture)(const Analysis&);
};

template <class Analysis>
void AddText(std::vector<AnalysisText>& texts, const std::optional<Expected<Analysis>>& result,
             const AnalysisFormat<Analysis>& format, bool withPicture)
{
    if (!result) {
        return;
    }
    if (!*result) {
        texts.push_back({format.m_Name, format.m_Heading, result->Message(), {}, {}, {}});
        return;
    }
    texts.push_back({format.m_Name,
                     format.m_Heading,
                     {},
                     format.m_Line(**result),
                     format.m_Table(**result),
                     withPicture ? format.m_Picture(**result) : std::string()});
}

} // namespace

std::vector<AnalysisText> AnalysesAsText(const RobustnessResults& results, bool withPictures)
{
    std::vector<AnalysisText> texts;
    AddText(texts, results.m_Tolerance,
            AnalysisFormat<ToleranceAnalysis>{AnalysisNames[0], "Tolerances", ToleranceLine, ToleranceTable,
                                              ToleranceSvg},
            withPictures);
    AddText(texts, results.m_Temperature,
            AnalysisFormat<TemperatureAnalysis>{AnalysisNames[1], "Temperature", TemperatureLine,
                                                TemperatureTable, TemperatureSvg},
            withPictures);
    AddText(texts, results.m_Distortion,
            AnalysisFormat<DistortionAnalysis>{AnalysisNames[2], "Clipping and distortion", DistortionLine,
                                               DistortionTable, DistortionSvg},
            withPictures);
    AddText(texts, results.m_Noise,
            AnalysisFormat<NoiseAnalysis>{AnalysisNames[3], "Noise", NoiseLine, NoiseTable, NoiseSvg},
            withPictures);
    AddText(texts, results.m_WorstCase,
            AnalysisFormat<WorstCaseAnalysis>{"worst_case", "Worst case", WorstCaseLine, WorstCaseTable,
                                              [](const WorstCaseAnalysis&) { return std::string(); }},
            withPictures);
    return texts;
}

} // namespace norvane
