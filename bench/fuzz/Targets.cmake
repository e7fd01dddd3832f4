# Every fuzz target: its name, its source in this folder and the libraries it needs. The
# fuzzing build (bench/fuzz/CMakeLists.txt) and the suite's replay of the corpora
# (tests/fuzz/CMakeLists.txt) each define zm_fuzz_target before including this list.
zm_fuzz_target(zor_response ZorResponseFuzz.cpp zm_zor_protocol)
zm_fuzz_target(zor_params ZorParamsFuzz.cpp zm_zor_protocol)
zm_fuzz_target(ini_document IniDocumentFuzz.cpp zm_base)
zm_fuzz_target(ini_file IniFileFuzz.cpp zm_base)
zm_fuzz_target(text_file TextFileFuzz.cpp zm_base)
zm_fuzz_target(language_file LanguageFileFuzz.cpp zm_base)
zm_fuzz_target(mls_format MlsFormatFuzz.cpp zm_base)
zm_fuzz_target(http_request HttpRequestFuzz.cpp zm_web)
zm_fuzz_target(smtp_reply SmtpReplyFuzz.cpp zm_notify)
zm_fuzz_target(xml_doc XmlDocFuzz.cpp zm_web)
zm_fuzz_target(settings SettingsFuzz.cpp zm_app)
