-- params: Agendamento_Frac_ID, Empresa_ID, Data_Evento, Hora_Evento, Usuario_internet_id, Parametro, Terminal_ID
-- Records the tracking event of a pickup of a fractional order, kept by its
-- schedule (the order is the schedule's). The date comes as
-- 'yyyy/mm/dd hh:mm' and is stored with seconds; the hour is kept as typed.
--
-- Answers retorno 0 and the new tracking_id, or 1 with the reason in Msg_Ret
-- and nothing written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, CASE WHEN :Agendamento_Frac_ID IS NULL THEN 'Agendamento de carga fracionada não informado.'
                  ELSE 'Agendamento de carga fracionada não cadastrado: ' || :Agendamento_Frac_ID || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM AGENDAMENTO_FRAC WHERE AGENDAMENTO_FRAC_ID = :Agendamento_Frac_ID)
UNION ALL
SELECT 2, 1, CASE WHEN :Parametro IS NULL THEN 'Evento de tracking não informado.'
                  ELSE 'Evento de tracking não cadastrado: ' || :Parametro || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM TAB_EVENTO_TRACKING WHERE TAB_EVENTO_TRACKING_ID = :Parametro)
UNION ALL
-- Read as a day number and back, 31 February comes out as 3 March: not the date typed.
SELECT 3, 1, CASE WHEN :Data_Evento IS NULL THEN 'Informe a data do evento.'
                  ELSE 'Data do evento inválida: ' || :Data_Evento || '.' END
 WHERE strftime('%Y/%m/%d', julianday(replace(trim(:Data_Evento), '/', '-')))
       IS NOT substr(trim(:Data_Evento), 1, 10)
    OR :Data_Evento IS NULL
UNION ALL
SELECT 4, 1, 'Terminal não cadastrado: ' || :Terminal_ID || '.'
 WHERE :Terminal_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM TERMINAL WHERE FORNECEDOR_ID = :Terminal_ID)
UNION ALL
SELECT 5, 1, 'Usuário não cadastrado: ' || :Usuario_internet_id || '.'
 WHERE :Usuario_internet_id IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = :Usuario_internet_id);

INSERT INTO TRACKING (ORDEM_SERVICO_ID, AGENDAMENTO_FRAC_ID, TAB_EVENTO_TRACKING_ID, TERMINAL_ID,
                      DATA_EVENTO, HORA_EVENTO, EMPRESA_ID, USUARIO_INTERNET_ID, DATA_INCLUSAO)
SELECT af.ORDEM_SERVICO_ID, af.AGENDAMENTO_FRAC_ID, :Parametro, :Terminal_ID,
       strftime('%Y/%m/%d %H:%M:%S', replace(trim(:Data_Evento), '/', '-')),
       :Hora_Evento, :Empresa_ID, :Usuario_internet_id,
       strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime')
  FROM AGENDAMENTO_FRAC af
 WHERE af.AGENDAMENTO_FRAC_ID = :Agendamento_Frac_ID
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret,
       CASE WHEN NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA) THEN last_insert_rowid() END
                                                                                  AS tracking_id;

DELETE FROM RECUSA_CHAMADA;
