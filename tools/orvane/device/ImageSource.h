// A binary FRU image file as a source: the command serves it to the library
// as the one FRU device of a simulated controller, so that show, get, set
// (with --commit writing back into the file), save and dump work on it
// exactly as on a device, with the same checks.
#pragma once
#include <string>
#include <vector>

class ImageSource {
  public:
    ImageSource() = default;
    ~ImageSource();
    ImageSource(const ImageSource&) = delete;
    ImageSource& operator=(const ImageSource&) = delete;

    // Describes the file as a controller's FRU device 0 and points the
    // library's driver at that description. False with the reason when the
    // file cannot be read or the description cannot be written.
    bool Open(const std::string& path, std::string* error);
    // The file's bytes as they are now.
    bool Read(std::vector<uint8_t>* bytes, std::string* error) const;
    // The display name of the image: the file's name.
    const std::string& Name() const { return fileName; }

  private:
    std::string path, fileName, folder;
};
