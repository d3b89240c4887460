-- params: Container_ID, Tab_Tipo_Container_ID, Usuario_internet_id
-- Sets the type of a registered container to the one a closing reports. A
-- container reported without a type keeps the one it has.
-- Answers retorno 0, or 1 with the reason in Msg_Ret and nothing written.
INSERT INTO RECUSA_CHAMADA (POSICAO, RETORNO, MSG_RET)
SELECT 1, 1, CASE WHEN :Container_ID IS NULL THEN 'Container não informado.'
                  ELSE 'Container não cadastrado: ' || :Container_ID || '.' END
 WHERE NOT EXISTS (SELECT 1 FROM CONTAINER WHERE CONTAINER_ID = :Container_ID)
UNION ALL
SELECT 2, 1, 'Tipo de container não cadastrado: ' || :Tab_Tipo_Container_ID || '.'
 WHERE :Tab_Tipo_Container_ID IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM TAB_TIPO_CONTAINER WHERE TAB_TIPO_CONTAINER_ID = :Tab_Tipo_Container_ID)
UNION ALL
SELECT 3, 1, 'Usuário não cadastrado: ' || :Usuario_internet_id || '.'
 WHERE :Usuario_internet_id IS NOT NULL
   AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = :Usuario_internet_id);

UPDATE CONTAINER
   SET TAB_TIPO_CONTAINER_ID = :Tab_Tipo_Container_ID,
       DATA_ALTERACAO        = strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime'),
       USUARIO_ALTERACAO_ID  = :Usuario_internet_id
 WHERE CONTAINER_ID = :Container_ID
   AND :Tab_Tipo_Container_ID IS NOT NULL
   AND TAB_TIPO_CONTAINER_ID IS NOT :Tab_Tipo_Container_ID
   AND NOT EXISTS (SELECT 1 FROM RECUSA_CHAMADA);

SELECT coalesce((SELECT RETORNO FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1), 0) AS retorno,
       (SELECT MSG_RET FROM RECUSA_CHAMADA ORDER BY POSICAO LIMIT 1)              AS Msg_Ret;

DELETE FROM RECUSA_CHAMADA;
