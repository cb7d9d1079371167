// Hook points of the multi-volume writer (CopyToVolumes) and the self-extractor builder
// (BuildSelfExtractor). Until those units exist, both report that the operation is not available
// and fail, so Add never pretends to have written volumes or a self-extractor.

#include "zipengine/ZipComp.h"

int TZipComponent::CopyToVolumes(const std::string& /*tempArchive*/, const std::string& /*target*/,
                                 int& lastVolumeIndex)
{
    lastVolumeIndex = 0;
    ReportMessage(zipmsg::kNotAvailable, "writing multi-volume archives");
    return -9;
}

int TZipComponent::BuildSelfExtractor(bool /*createMode*/)
{
    ReportMessage(zipmsg::kNotAvailable, "building self-extracting archives");
    return -9;
}
