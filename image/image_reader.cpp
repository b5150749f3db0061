#include "image/image_reader.h"

namespace corvanta::image {

design::Reading ReadImage(std::string_view, const design::Settings&) {
    design::Reading r;
    r.error = "photos are not supported in this build";
    return r;
}

}  // namespace corvanta::image
