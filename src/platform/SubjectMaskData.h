#pragma once

#include "SubjectSegmenter.h"

#include <QImage>
#include <QRect>

#include <opencv2/core/mat.hpp>

#include <cstddef>
#include <vector>

// What a SubjectMask holds, for the platform code that makes and edits masks.
struct SubjectMask::Data
{
    QImage source;             // Format_RGBA8888_Premultiplied
    cv::Mat alpha;             // CV_8U soft alpha of the subjects, 0 where no instance owns the pixel
    cv::Mat owner;             // CV_32S instance index + 1 per pixel, 0 for the background
    std::vector<QRect> bounds; // per instance, in frame pixels

    // Bounding boxes of what each of the `subjectCount` subjects shows: its pixels of non-zero alpha.
    static std::vector<QRect> boundsOf(const cv::Mat &owner, const cv::Mat &alpha, std::size_t subjectCount);
};
