% Checks a pelorin MAT-file against the recording beside it (an error exits Octave non-zero).
function check_mat(matfile, csvfile)
  m = load(matfile);
  assert(isa(m.frames, 'int32') && isa(m.valid, 'uint8') && isa(m.time_ms, 'uint32'));
  assert(strcmp(m.source, 'Base'));
  [w, h, f] = size(m.frames);
  assert(isequal(size(m.valid), [w h]) && isequal(size(m.time_ms), [f 1]));
  fid = fopen(csvfile);
  for i = 1:5
    fgetl(fid);
  end
  k = 0;
  while true
    fgetl(fid);
    head = fgetl(fid);
    if ~ischar(head)
      break;
    end
    k = k + 1;
    t = sscanf(head, 'No , %d, %dms');
    assert(double(m.time_ms(k)) == t(2));
    for x = 1:w
      v = sscanf(fgetl(fid), '%d,');
      assert(isequal(double(reshape(m.frames(x, :, k), [], 1)), v));
    end
  end
  fclose(fid);
  assert(k == f);
  printf('octave: %d frames of %d x %d match\n', f, w, h);
end
