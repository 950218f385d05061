function assert_error_text(f, module, text)
% Calls f and checks that it fails with exactly the module's error text.
% Octave puts "<module>: " in front of a MEX error text; the rest must be
% the module's own text, character for character.
  try
    f();
  catch err
    expected = [module ': ' text];
    if !strcmp(err.message, expected)
      error('assert_error_text: expected error "%s", got "%s"', expected, err.message);
    end
    return;
  end
  error('assert_error_text: expected error "%s", but the call succeeded', text);
end
